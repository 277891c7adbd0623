// Entry point of the screen saver module: fixes the module's names, reads the
// desktop's command line and runs one mode. Always returns 0.
#include "framework/cmdline.h"
#include "moviesaver/mvsaver.h"
#include "resources/resource.h"
#include "saver/password.h"
#include "settings/mvsaverdlg.h"
#include "util/modulenames.h"

#include <new>

int WINAPI WinMain(HINSTANCE instance, HINSTANCE, LPSTR commandLine, int showCommand) {
    InitModuleNames();
    SaverArgs args;
    ParseCommandLine(commandLine, &args);
    switch (args.mode) {
    case MODE_SAVER:
    case MODE_PREVIEW:
        if (mvSaver* saver = new (std::nothrow) mvSaver) {
            saver->Run(args, instance, showCommand);
            delete saver;
        }
        break;
    case MODE_SET_PASSWORD:
        ChangePassword(args);
        break;
    case MODE_CONFIGURE:
        if (mvSaverDlg* dialog = new (std::nothrow) mvSaverDlg) {
            dialog->DoModal(instance, MAKEINTRESOURCEA(IDD_SETTINGS), args.window);
            delete dialog;
        }
        break;
    default:
        break;
    }
    return 0;
}
