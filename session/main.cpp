// The program's entry: the command line is not used.
#include "session_handler.h"

int main() {
    return session::SessionHandlerMain();
}
