#pragma once

#include <windows.h>

class CObject;

// What the program knows of a class at run time: its name, its base, its schema and, for a
// class that can be created by name, its factory.
struct CRuntimeClass {
    LPCWSTR m_pszClassName;
    UINT m_wSchema;
    CObject* (*m_pfnCreateObject)();
    const CRuntimeClass* m_pBaseClass;

    // nullptr for a class without a factory.
    CObject* CreateObject() const;
    BOOL IsDerivedFrom(const CRuntimeClass* pBaseClass) const;
};

// Root of every framework class that carries a run-time class record.
class CObject {
public:
    virtual const CRuntimeClass* GetRuntimeClass() const;
    virtual ~CObject() = default;

    BOOL IsKindOf(const CRuntimeClass* pClass) const;

    static const CRuntimeClass classCObject;

protected:
    CObject() = default;
    CObject(const CObject&) = delete;
    CObject& operator=(const CObject&) = delete;
};
