#include <QApplication>
#include <QLibraryInfo>
#include <QLocale>
#include <QTimer>
#include <QTranslator>

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
    // Qt's own texts (the text boxes' context menus, a message box's 确定) in Simplified
    // Chinese, where installed: none shows before the window does, so they follow it.
    QTranslator qt_texts;
    QTimer::singleShot(0, &form1, [&qt_texts] {
        if (qt_texts.load(QLocale(QLocale::Chinese, QLocale::China), QStringLiteral("qtbase"),
                          QStringLiteral("_"),
                          QLibraryInfo::path(QLibraryInfo::TranslationsPath))) {
            QApplication::installTranslator(&qt_texts);
        }
    });
    const int status = QApplication::exec();
    // The window is gone. A fetch that does not stop at once must not keep the process alive
    // (nothing of the person's depends on it), nor must Qt's wait for its worker threads.
    if (!form1.stop_fetch_within(std::chrono::milliseconds(500))) {
        std::_Exit(status);
    }
    return status;
}
