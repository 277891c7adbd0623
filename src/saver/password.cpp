#include "saver/password.h"

#include "saver/csaver.h"

// No password services yet: a run always ends on input.
BOOL ReadPasswordSetting() { return 0; }

BOOL CSAVER::VerifyPassword() { return 1; }

void ChangePassword(const SaverArgs&) {}
