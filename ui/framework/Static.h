#pragma once

#include "ui/framework/Wnd.h"

// A static text control; its text and font are those of any window.
class CStatic : public CWnd {};
