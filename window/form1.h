#pragma once

#include <QFuture>
#include <QTranslator>
#include <QWidget>

#include <array>
#include <chrono>
#include <functional>
#include <memory>

#include "window/background_fetch.h"
#include "workflow/page_fetcher.h"

class QLineEdit;
class QPlainTextEdit;
class QPushButton;

namespace marlowin {

class MessageBoxes;
class TransferModuleLoader;
class WidgetFields;

/**
 * The program's window. Builds its elements from the layout table, binds each button to its
 * action, and reports what an action could not do in a message box instead of ending the
 * program. Each element carries its name as objectName.
 */
class Form1 : public QWidget {
    Q_OBJECT
public:
    /// @param options settings of the window's transfer component (tests shorten time-outs).
    explicit Form1(TransferOptions options = {}, QWidget* parent = nullptr);
    /// A window whose transfer component is made by @p factory instead of loaded: a test's.
    explicit Form1(std::function<std::unique_ptr<PageFetcher>()> factory,
                   QWidget* parent = nullptr);
    ~Form1() override;

    /// Cancels a fetch still running and waits at most @p grace for it to stop; whether it
    /// has. The program's end need not wait longer: nothing of the person's depends on it.
    [[nodiscard]] bool stop_fetch_within(std::chrono::milliseconds grace);

protected:
    void paintEvent(QPaintEvent* event) override;
    void closeEvent(QCloseEvent* event) override;

private:
    Form1(std::unique_ptr<TransferModuleLoader> inet1, QWidget* parent);
    void build_elements();
    void bind_buttons();
    /// What the window's first paint does not need: the transfer component, Qt's texts, the icon.
    void finish_start_up();
    /// Runs an action to its end; failures become message boxes and the program goes on.
    void run_action(const std::function<void()>& action);

    void retrieve_action();
    void retrieve_finished(const QFuture<BackgroundFetch::Document>& fetch);
    void extract_action();
    void clear_address_action();
    void clear_result_action();

    std::array<QPushButton*, 5> commands_{};  // Command1 to Command5
    QLineEdit* text1_ = nullptr;
    QPlainTextEdit* text2_ = nullptr;
    QPlainTextEdit* text3_ = nullptr;
    std::unique_ptr<TransferModuleLoader> inet1_;  // the transfer component, loaded apart
    std::unique_ptr<WidgetFields> fields_;
    std::unique_ptr<MessageBoxes> boxes_;
    std::unique_ptr<BackgroundFetch> fetch_;
    QTranslator qt_texts_;  // Qt's own texts in Chinese, where installed
    bool closing_ = false;
    bool first_paint_seen_ = false;
};

}  // namespace marlowin
