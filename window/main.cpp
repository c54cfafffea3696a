#include <QApplication>

#include <chrono>
#include <cstdlib>

#include "window/form1.h"

int main(int argc, char* argv[]) {
    QApplication app(argc, argv);
    // The name identifies the program to the desktop; no display name is set, so window
    // titles stay exactly as the program sets them.
    QApplication::setApplicationName(QStringLiteral("Marlowin"));
    QApplication::setApplicationVersion(QStringLiteral(MARLOWIN_VERSION));

    marlowin::Form1 form1;
    form1.show();
    const int status = QApplication::exec();
    // The window is gone. A fetch that does not stop at once must not keep the process alive
    // (nothing of the person's depends on it), nor must Qt's wait for its worker threads.
    if (!form1.stop_fetch_within(std::chrono::milliseconds(500))) {
        std::_Exit(status);
    }
    return status;
}
