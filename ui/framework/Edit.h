#pragma once

#include "ui/framework/Wnd.h"

// An edit control; its text is that of any window.
class CEdit : public CWnd {};
