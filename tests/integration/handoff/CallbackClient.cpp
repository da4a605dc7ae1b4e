// The second process of the sign-in hand-off, as the desktop starts it: deliver the URL given as
// the argument to the running instance and exit (0 when it was delivered).
#include "platform/linux/CallbackHandoff.h"

#include <QCoreApplication>

int main(int argc, char** argv) {
    QCoreApplication application(argc, argv);
    if (argc != 2) {
        return 2;
    }
    return tidyword::platform::linux_desktop::deliverCallback(QUrl::fromEncoded(argv[1])) ? 0 : 1;
}
