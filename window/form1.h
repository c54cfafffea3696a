#pragma once

#include <QWidget>

#include <functional>
#include <memory>

#include "transfer/page_fetcher.h"

class QLineEdit;
class QPlainTextEdit;

namespace marlowin {

class BackgroundTransfer;
class InputBlocker;
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
    void extract_action();
    void exit_action();
    void clear_address_action();
    void clear_result_action();

    QLineEdit* text1_ = nullptr;
    QPlainTextEdit* text2_ = nullptr;
    QPlainTextEdit* text3_ = nullptr;
    std::unique_ptr<TransferModuleLoader> inet1_;  // the transfer component, loaded apart
    std::unique_ptr<BackgroundTransfer> transfer_;
    std::unique_ptr<WidgetFields> fields_;
    std::unique_ptr<MessageBoxes> boxes_;
    // Last, so it goes first: it asks transfer_ about every event until it is gone.
    std::unique_ptr<InputBlocker> input_blocker_;
    bool closing_ = false;
};

}  // namespace marlowin
