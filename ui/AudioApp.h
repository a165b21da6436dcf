#pragma once

#include "settings/AudioConfig.h"
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

// theApp is made before g_AudioConfig, so that at exit the settings object closes the driver
// while the application still exists; the gap lets a test place an object between the two.
constexpr int kAppInitPriority = kSettingsInitPriority - 2;

// The title font of the running application; nullptr while there is none.
HFONT TitleFont();
// The title font's description for a screen of the given pixels per inch.
LOGFONTW TitleLogFont(int nPixelsPerInch);
