// CSAVERDLG: the base of the screen saver's settings dialog. It adds nothing
// to CDLG; its set of virtual operations is that of CDLG.
#pragma once

#include "framework/cdlg.h"

class CSAVERDLG : public CDLG {};
