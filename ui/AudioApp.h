#pragma once

#include "ui/framework/Font.h"
#include "ui/framework/WinApp.h"

// The application: runs the sheet once and saves every setting when it closes.
class CAudioApp : public CWinApp {
public:
    CAudioApp();
    ~CAudioApp() override;

    BOOL InitInstance() override;

    // Bold heading font of both pages; empty until start-up creates it.
    CFont m_fontTitle;

private:
    void CreateTitleFont();

    DECLARE_MESSAGE_MAP()
};

extern CAudioApp theApp;

// The title font of the running application; nullptr while there is none.
HFONT TitleFont();
// The title font's description for a screen of the given pixels per inch.
LOGFONTW TitleLogFont(int nPixelsPerInch);
