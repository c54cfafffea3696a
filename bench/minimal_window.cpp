// The start-up baselines: the least a Qt Widgets program does to show a window, either empty
// or (MARLOWIN_SAME_WIDGETS) with the widgets and Chinese texts of Marlowin's, where Marlowin's
// own table puts them.
#include <QApplication>
#include <QLabel>
#include <QLineEdit>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QWidget>

#if defined(MARLOWIN_SAME_WIDGETS)
#include "window/form1_layout.h"
#endif

int main(int argc, char* argv[]) {
    QApplication app(argc, argv);
    QWidget window;
    window.setFixedSize(339, 230);
#if defined(MARLOWIN_SAME_WIDGETS)
    using marlowin::twips_to_pixels;
    window.setWindowTitle(QString::fromUtf8(marlowin::kForm1Caption.data(),
                                            static_cast<int>(marlowin::kForm1Caption.size())));
    for (const marlowin::ElementLayout& element : marlowin::kForm1Layout) {
        const QString caption =
            QString::fromUtf8(element.caption.data(), static_cast<int>(element.caption.size()));
        QWidget* widget = nullptr;
        switch (element.kind) {
            case marlowin::ElementKind::Button:
                widget = new QPushButton(caption, &window);
                break;
            case marlowin::ElementKind::Label:
                widget = new QLabel(caption, &window);
                break;
            case marlowin::ElementKind::SingleLineText:
                widget = new QLineEdit(&window);
                break;
            case marlowin::ElementKind::MultiLineText:
                widget = new QPlainTextEdit(&window);
                break;
        }
        widget->setGeometry(twips_to_pixels(element.left), twips_to_pixels(element.top),
                            twips_to_pixels(element.width), twips_to_pixels(element.height));
        widget->setVisible(element.visible);
    }
#endif
    window.show();
    return QApplication::exec();
}
