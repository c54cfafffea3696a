#include "window/form1.h"

#include <QApplication>
#include <QCloseEvent>
#include <QIcon>
#include <QLabel>
#include <QLibraryInfo>
#include <QLineEdit>
#include <QLocale>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QTimer>

#include <exception>
#include <limits>

#include "window/address_box.h"
#include "window/background_fetch.h"
#include "window/desktop_button.h"
#include "window/form1_layout.h"
#include "window/message_boxes.h"
#include "window/qt_text.h"
#include "window/transfer_module_loader.h"
#include "window/widget_fields.h"
#include "workflow/extract_action.h"
#include "workflow/retrieve_action.h"
#include "workflow/transfer_error.h"

// The compiled-in icon lives in a static library, so its resources are registered by hand.
static void load_icon_resources() {
    Q_INIT_RESOURCE(marlowin);
}

namespace marlowin {

namespace {

QRect pixel_rect(const ElementLayout& element) {
    return {twips_to_pixels(element.left), twips_to_pixels(element.top),
            twips_to_pixels(element.width), twips_to_pixels(element.height)};
}

QPlainTextEdit* make_multi_line_box(QWidget* parent) {
    auto* box = new QPlainTextEdit(parent);
    box->setLineWrapMode(QPlainTextEdit::NoWrap);  // lines break only where the text does
    box->setHorizontalScrollBarPolicy(Qt::ScrollBarAlwaysOn);
    box->setVerticalScrollBarPolicy(Qt::ScrollBarAlwaysOn);
    box->setTabChangesFocus(true);
    return box;
}

}  // namespace

Form1::Form1(TransferOptions options, QWidget* parent)
    : Form1(std::make_unique<TransferModuleLoader>(options), parent) {}

Form1::Form1(std::function<std::unique_ptr<PageFetcher>()> factory, QWidget* parent)
    : Form1(std::make_unique<TransferModuleLoader>(std::move(factory)), parent) {}

Form1::Form1(std::unique_ptr<TransferModuleLoader> inet1, QWidget* parent)
    : QWidget(parent), inet1_(std::move(inet1)) {
    setObjectName(QStringLiteral("Form1"));
    setWindowTitle(to_qstring(kForm1Caption));
    setFixedSize(twips_to_pixels(kFormWidthTwips), twips_to_pixels(kFormHeightTwips));
    build_elements();

    fields_ = std::make_unique<WidgetFields>(*text1_, *text3_);
    boxes_ = std::make_unique<MessageBoxes>(this);
    // Every element but 退出, which closes the window, and so ends a fetch, at any moment.
    std::vector<QWidget*> elements(commands_.begin(), commands_.end());
    std::erase(elements, commands_[2]);
    elements.insert(elements.end(), {text1_, text2_, text3_});
    fetch_ = std::make_unique<BackgroundFetch>(*this, std::move(elements));
    bind_buttons();
}

// The fetch goes first, explicitly: its worker uses the transfer component until it stops.
Form1::~Form1() {
    fetch_.reset();
}

// The elements are made in tab order, so the focus chain Qt keeps in order of creation is the
// tab order.
void Form1::build_elements() {
    QLabel* label = nullptr;
    auto next_command = commands_.begin();
    for (const ElementLayout& element : kForm1Layout) {
        QWidget* widget = nullptr;
        const QString caption = to_qstring(element.caption);
        switch (element.kind) {
            case ElementKind::Button: {
                auto* button = new DesktopButton(caption, this);
                button->setAutoDefault(false);
                button->setDefault(false);
                button->setAccessibleName(caption);
                *next_command++ = button;
                widget = button;
                break;
            }
            case ElementKind::Label:
                label = new QLabel(caption, this);
                label->setTextFormat(Qt::PlainText);
                widget = label;
                break;
            case ElementKind::SingleLineText:
                text1_ = new AddressBox(this);
                text1_->setMaxLength(std::numeric_limits<int>::max());
                text1_->setAccessibleName(QStringLiteral("目标网址"));
                widget = text1_;
                break;
            case ElementKind::MultiLineText: {
                QPlainTextEdit* box = make_multi_line_box(this);
                if (element.visible) {
                    text3_ = box;
                    box->setAccessibleName(QStringLiteral("结果"));
                } else {
                    text2_ = box;
                    box->setAccessibleName(QStringLiteral("页面缓冲区"));
                }
                widget = box;
                break;
            }
        }
        widget->setObjectName(to_qstring(element.name));
        widget->setGeometry(pixel_rect(element));
        widget->setVisible(element.visible);
        if (element.kind != ElementKind::Label && element.visible) {
            widget->setFocusPolicy(Qt::StrongFocus);
        }
    }
    label->setBuddy(text1_);
    text2_->setFocusPolicy(Qt::NoFocus);
    text3_->lower();  // the hidden page buffer lies inside the result box's area
    commands_[0]->setFocus();
}

void Form1::bind_buttons() {
    connect(commands_[0], &QPushButton::clicked, this, &Form1::retrieve_action);
    connect(commands_[1], &QPushButton::clicked, this, &Form1::extract_action);
    // 退出 closes the window, as its close box and Alt+F4 do: one way out.
    connect(commands_[2], &QPushButton::clicked, this, &QWidget::close);
    connect(commands_[3], &QPushButton::clicked, this, &Form1::clear_address_action);
    connect(commands_[4], &QPushButton::clicked, this, &Form1::clear_result_action);
}

void Form1::run_action(const std::function<void()>& action) {
    try {
        action();
    } catch (const TransferCancelled&) {
        // The person stopped the fetch: nothing to report.
    } catch (const TransferError& error) {
        if (!closing_) {
            boxes_->show_error(error);
        }
    } catch (const std::exception& error) {
        if (!closing_) {
            boxes_->show_unexpected(QString::fromLocal8Bit(error.what()));
        }
    } catch (...) {
        if (!closing_) {
            boxes_->show_unexpected(QStringLiteral("unknown exception"));
        }
    }
}

void Form1::retrieve_action() {
    run_action([this] {
        PageFetcher& inet1 = inet1_->fetcher();
        std::string address = start_retrieve(*fields_, inet1);
        fetch_->start(
            inet1, std::move(address),
            [this](const QFuture<BackgroundFetch::Document>& fetch) { retrieve_finished(fetch); });
    });
}

// result() throws what ended a failed fetch, for run_action to report. Not takeResult(): it
// resets the future, and the worker, still letting go of its promise, would then finish it
// a second time.
void Form1::retrieve_finished(const QFuture<BackgroundFetch::Document>& fetch) {
    run_action([&] { finish_retrieve(*fields_, *boxes_, std::move(*fetch.result())); });
}

void Form1::extract_action() {
    run_action([this] { extract(*fields_, *boxes_); });
}

void Form1::clear_address_action() {
    run_action([this] { fields_->write(Field::Text1, {}); });
}

void Form1::clear_result_action() {
    run_action([this] { fields_->write(Field::Text3, {}); });
}

void Form1::paintEvent(QPaintEvent* event) {
    QWidget::paintEvent(event);
    if (!first_paint_seen_) {
        first_paint_seen_ = true;
        QTimer::singleShot(0, this, [this] { finish_start_up(); });
    }
}

// What the first paint does not need follows it: the transfer component, which loads while the
// person looks at the window (started sooner, its loading competed with the window's own start
// for the processor and the dynamic loader), Qt's own texts in Simplified Chinese (the text
// boxes' context menus), and the icon's four images, which take milliseconds to load and hand
// to the window system.
void Form1::finish_start_up() {
    inet1_->start();
    if (qt_texts_.load(QLocale(QLocale::Chinese, QLocale::China), QStringLiteral("qtbase"),
                       QStringLiteral("_"), QLibraryInfo::path(QLibraryInfo::TranslationsPath))) {
        QApplication::installTranslator(&qt_texts_);
    }
    load_icon_resources();
    QIcon icon;
    for (const int size : {16, 32, 48, 64}) {
        icon.addFile(QStringLiteral(":/marlowin/marlowin-%1.png").arg(size), QSize(size, size));
    }
    setWindowIcon(icon);
}

bool Form1::stop_fetch_within(std::chrono::milliseconds grace) {
    return fetch_->stop_within(grace);
}

void Form1::closeEvent(QCloseEvent* event) {
    // Closing the window ends the program, also in the middle of a fetch, whose outcome is
    // then dropped; the worker stops when the window goes.
    closing_ = true;
    fetch_->cancel();
    event->accept();
    QCoreApplication::exit(0);
}

}  // namespace marlowin
