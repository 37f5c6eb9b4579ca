// The tray program's entry: its one application object, run by the class
// library's entry.
#include "tray_app.h"

namespace {

CCalvimora_TrayApp application;

}  // namespace

int main(int argc, char** argv) {
    return AfxWinMain(argc, argv);
}
