#include <QApplication>
#include <QLibraryInfo>
#include <QLocale>
#include <QTranslator>

#include "window/form1.h"

int main(int argc, char* argv[]) {
    QApplication app(argc, argv);
    // The name identifies the program to the desktop; no display name is set, so window
    // titles stay exactly as the program sets them.
    QApplication::setApplicationName(QStringLiteral("Marlowin"));
    QApplication::setApplicationVersion(QStringLiteral(MARLOWIN_VERSION));

    // Qt's own texts (the text boxes' context menus) in Simplified Chinese, where installed.
    QTranslator qt_texts;
    if (qt_texts.load(QLocale(QLocale::Chinese, QLocale::China), QStringLiteral("qtbase"),
                      QStringLiteral("_"), QLibraryInfo::path(QLibraryInfo::TranslationsPath))) {
        QApplication::installTranslator(&qt_texts);
    }

    marlowin::Form1 form1;
    form1.show();
    return QApplication::exec();
}
