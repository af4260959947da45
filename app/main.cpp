#include "app/Application.h"
#include "app/Main.h"

int main(int argc, char* argv[]) {
    zyn::TApplication application(argc, argv);
    zyn::TfrmMain frmMain;
    frmMain.showMaximized();
    return application.exec();
}
