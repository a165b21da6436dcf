#pragma once

#include "driver/AudioDrvThread.h"

class CSettingsKey;

// The one settings object: drives the audio driver and keeps every setting, and the mode table,
// in the registry under HKEY_CURRENT_USER\ControlPanel\Trilbo Audio.
class CAudioConfig : public CAudioDrvThread {
public:
    CAudioConfig() = default;
    ~CAudioConfig() override;

    // Both switches are stored even when unchanged; nothing is stored when the driver refused.
    BOOL SetEQEnable(BOOL bEnable) override;
    BOOL SetAGCEnable(BOOL bEnable) override;

    // Loads the settings, then opens the driver and starts the worker, so that the worker takes
    // the loaded levels as already applied. Non-zero when the driver opened and the worker started.
    virtual BOOL Attach(HWND hWnd);
    // Replaces the settings in memory with the stored ones; a missing key changes nothing. The
    // table then holds only the modes read; FALSE when the key could not be opened.
    virtual BOOL Load();
    // Stores every setting and every mode, only once the settings were loaded; 0 when nothing
    // was stored for that reason, or a step failed, or a foreign entry could not be removed.
    virtual BOOL Save();
    // m_nCurMode when that mode holds exactly the live levels, else -1.
    virtual int FindCurrentMode();
    // Copies the five levels of mode nSrc to mode nDest; -1 stands for the live levels.
    virtual BOOL CopyModeLevels(int nDest, int nSrc);

    HWND m_hWndOwner = nullptr;
    // Index of the current mode in g_Modes, -1 for none; the pages read and write it directly.
    int m_nCurMode = 0;
    // Set when the last Load found no key, or read the key and every numbered subkey there is.
    // Otherwise memory lacks something stored (the built-in defaults stand in for a key that
    // could not be read, a mode is missing for a subkey or a name that could not be), and saving
    // would write over it, so Save stores nothing.
    BOOL m_bLoaded = FALSE;

protected:
    void OnBandApplied(int nBand, int nLevel, BOOL bFailed) override;
    void OnAGCLevelApplied(int nLevel, BOOL bFailed) override;

private:
    void LoadSettings(const CSettingsKey& key);
    BOOL SaveAll(const CSettingsKey& key) const;
    BOOL SaveSettings(const CSettingsKey& key) const;
};

extern CAudioConfig g_AudioConfig;

// g_AudioConfig's place in static construction, which is otherwise unspecified across files:
// an object made at a lower priority is made before it and so ends after it.
constexpr int kSettingsInitPriority = 1003;
