#pragma once

#include "ui/framework/Static.h"
#include "ui/framework/Wnd.h"

// What the pages and the Save Mode dialog show alike: message boxes captioned with the
// application's title, the pages' texts from the string table, and their blue bold title.

// A modal message box owned by that window, captioned with the application's title.
int AppMessageBox(const CWnd& owner, LPCWSTR pszText, UINT nType);
int AppMessageBox(const CWnd& owner, UINT nTextID, UINT nType);

// Sets controls nFirstID..nLastID of the page to the strings nFirstStringID on, in order.
void SetControlTexts(const CWnd& page, int nFirstID, int nLastID, UINT nFirstStringID);
// Gives the title the application's title font. The pages' templates let controls overlap (the
// title and the rule under it, the band labels and the sliders), so each control of the page is
// also kept from painting over those before it.
void ShowPageTitle(const CWnd& page, const CStatic& title);
// Sets the title's text colour when the colour request is the title's.
void ColorPageTitle(HDC hDC, HWND hWndCtl, const CStatic& title);
