#pragma once

#include <QWidget>

#include <array>
#include <functional>
#include <memory>

#include "transfer/page_fetcher.h"

class QLineEdit;
class QPlainTextEdit;
class QPushButton;

namespace marlowin {

class BackgroundFetch;
class MessageBoxes;
class TransferModuleLoader;
class WidgetFields;
struct FetchOutcome;

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
    ~Form1() override;

protected:
    void showEvent(QShowEvent* event) override;
    void closeEvent(QCloseEvent* event) override;

private:
    void build_elements();
    void bind_buttons();
    /// Runs an action to its end; failures become message boxes and the program goes on.
    void run_action(const std::function<void()>& action);

    void retrieve_action();
    void retrieve_finished(FetchOutcome outcome);
    void extract_action();
    void exit_action();
    void clear_address_action();
    void clear_result_action();

    std::array<QPushButton*, 5> commands_{};  // Command1 to Command5
    QLineEdit* text1_ = nullptr;
    QPlainTextEdit* text2_ = nullptr;
    QPlainTextEdit* text3_ = nullptr;
    std::unique_ptr<TransferModuleLoader> inet1_;  // the transfer component, loaded apart
    std::unique_ptr<WidgetFields> fields_;
    std::unique_ptr<MessageBoxes> boxes_;
    // Last, so it goes first: its worker uses inet1_ until it has stopped.
    std::unique_ptr<BackgroundFetch> fetch_;
    bool closing_ = false;
};

}  // namespace marlowin
