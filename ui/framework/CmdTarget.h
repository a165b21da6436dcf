#pragma once

#include "ui/framework/Object.h"

#include <commctrl.h>

class CCmdTarget;

// The one handler type a message map stores; nSig says which signature to call it with.
using AFX_PMSG = void (CCmdTarget::*)();

// The message that stands for every control-colour request (WM_CTLCOLORSTATIC, ...BTN and kin).
constexpr UINT WM_CTLCOLOR = 0x0019;

enum class AfxSig {
    End,         // ends an entry table
    Command,     // void ()
    Notify,      // void (NMHDR* pNMHDR, LRESULT* pResult)
    Timer,       // void (UINT_PTR nIDEvent)
    CtlColor,    // HBRUSH (HDC hDC, HWND hWndCtl, UINT nCtlColor)
    LButtonDown, // void (UINT nFlags, POINT point)
};

struct AFX_MSGMAP_ENTRY {
    UINT nMessage; // WM_COMMAND, WM_NOTIFY, WM_TIMER, WM_CTLCOLOR or WM_LBUTTONDOWN
    UINT nCode;    // notification code for WM_COMMAND and WM_NOTIFY, else 0
    UINT nID;      // control id for WM_COMMAND and WM_NOTIFY, else 0
    AfxSig nSig;
    AFX_PMSG pfn;
};

struct AFX_MSGMAP {
    const AFX_MSGMAP* (*pfnGetBaseMap)(); // nullptr for the root
    const AFX_MSGMAP_ENTRY* lpEntries;
};

// Root of the classes that handle messages through a message map.
class CCmdTarget : public CObject {
public:
    static const CRuntimeClass classCCmdTarget;
    const CRuntimeClass* GetRuntimeClass() const override;

    virtual const AFX_MSGMAP* GetMessageMap() const;
    static const AFX_MSGMAP* GetThisMessageMap();

    // First entry for the message in this class's table, then in each base table in turn.
    const AFX_MSGMAP_ENTRY* FindMessageEntry(UINT nMessage, UINT nCode, UINT nID) const;
};

// Handlers of every signature are stored as AFX_PMSG and cast back to their own signature, by
// nSig, before the call; the round trip is exact, so the compiler's warning on the cast is moot.
#pragma GCC diagnostic push
#pragma GCC diagnostic ignored "-Wcast-function-type"
template <class Pfn> AFX_PMSG AfxToPMSG(Pfn pfn) { return reinterpret_cast<AFX_PMSG>(pfn); }
template <class Pfn> Pfn AfxFromPMSG(AFX_PMSG pfn) { return reinterpret_cast<Pfn>(pfn); }
#pragma GCC diagnostic pop

// Typed entries: each one checks the handler's signature before storing it as AFX_PMSG.
template <class T> AFX_MSGMAP_ENTRY AfxCommandEntry(UINT nCode, UINT nID, void (T::*pfn)()) {
    return {WM_COMMAND, nCode, nID, AfxSig::Command, static_cast<AFX_PMSG>(pfn)};
}

template <class T>
AFX_MSGMAP_ENTRY AfxNotifyEntry(UINT nCode, UINT nID, void (T::*pfn)(NMHDR*, LRESULT*)) {
    using Base = void (CCmdTarget::*)(NMHDR*, LRESULT*);
    return {WM_NOTIFY, nCode, nID, AfxSig::Notify, AfxToPMSG(static_cast<Base>(pfn))};
}

template <class T> AFX_MSGMAP_ENTRY AfxTimerEntry(void (T::*pfn)(UINT_PTR)) {
    using Base = void (CCmdTarget::*)(UINT_PTR);
    return {WM_TIMER, 0, 0, AfxSig::Timer, AfxToPMSG(static_cast<Base>(pfn))};
}

template <class T> AFX_MSGMAP_ENTRY AfxCtlColorEntry(HBRUSH (T::*pfn)(HDC, HWND, UINT)) {
    using Base = HBRUSH (CCmdTarget::*)(HDC, HWND, UINT);
    return {WM_CTLCOLOR, 0, 0, AfxSig::CtlColor, AfxToPMSG(static_cast<Base>(pfn))};
}

template <class T> AFX_MSGMAP_ENTRY AfxLButtonDownEntry(void (T::*pfn)(UINT, POINT)) {
    using Base = void (CCmdTarget::*)(UINT, POINT);
    return {WM_LBUTTONDOWN, 0, 0, AfxSig::LButtonDown, AfxToPMSG(static_cast<Base>(pfn))};
}

// Message maps. Inside a class:            DECLARE_MESSAGE_MAP()
// In its source file:                      BEGIN_MESSAGE_MAP(CMyPage, CPropertyPage)
//                                              ON_BN_CLICKED(1001, OnClick)
//                                          END_MESSAGE_MAP()
#define DECLARE_MESSAGE_MAP()                                                                      \
public:                                                                                            \
    static const AFX_MSGMAP* GetThisMessageMap();                                                  \
    const AFX_MSGMAP* GetMessageMap() const override;                                              \
                                                                                                   \
protected:

#define BEGIN_MESSAGE_MAP(theClass, baseClass)                                                     \
    const AFX_MSGMAP* theClass::GetMessageMap() const { return GetThisMessageMap(); }              \
    const AFX_MSGMAP* theClass::GetThisMessageMap() {                                              \
        using ThisClass [[maybe_unused]] = theClass; /* unused by a map without entries */         \
        using TheBaseClass = baseClass;                                                            \
        static const AFX_MSGMAP_ENTRY entries[] = {

#define END_MESSAGE_MAP()                                                                          \
    { 0, 0, 0, AfxSig::End, nullptr }                                                              \
    }                                                                                              \
    ;                                                                                              \
    static const AFX_MSGMAP messageMap = {&TheBaseClass::GetThisMessageMap, entries};              \
    return &messageMap;                                                                            \
    }

#define ON_COMMAND(id, memberFxn) AfxCommandEntry(BN_CLICKED, id, &ThisClass::memberFxn),
#define ON_BN_CLICKED(id, memberFxn) AfxCommandEntry(BN_CLICKED, id, &ThisClass::memberFxn),
#define ON_CBN_SELCHANGE(id, memberFxn) AfxCommandEntry(CBN_SELCHANGE, id, &ThisClass::memberFxn),
#define ON_NOTIFY(code, id, memberFxn)                                                             \
    AfxNotifyEntry(static_cast<UINT>(code), id, &ThisClass::memberFxn),
#define ON_WM_TIMER() AfxTimerEntry(&ThisClass::OnTimer),
#define ON_WM_CTLCOLOR() AfxCtlColorEntry(&ThisClass::OnCtlColor),
#define ON_WM_LBUTTONDOWN() AfxLButtonDownEntry(&ThisClass::OnLButtonDown),
