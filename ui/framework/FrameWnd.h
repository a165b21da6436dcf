#pragma once

#include "ui/framework/Wnd.h"

// Frame style bit that asks for the document title in the caption; not a window style.
constexpr DWORD FWS_ADDTOTITLE = 0x8000;

// A top-level window with the menu of a resource id. Never shown by the framework.
class CFrameWnd : public CWnd {
public:
    static const CRuntimeClass classCFrameWnd;
    const CRuntimeClass* GetRuntimeClass() const override;

    CFrameWnd() = default;
    ~CFrameWnd() override;

    // Creates the window with menu nIDResource; frame style bits (FWS_*) are not window styles.
    BOOL LoadFrame(UINT nIDResource, DWORD dwDefaultStyle, CWnd* pParentWnd = nullptr,
                   void* pContext = nullptr);

    DECLARE_MESSAGE_MAP()
};
