#pragma once

#include <string>

#include "workflow/form_fields.h"

class QLineEdit;
class QPlainTextEdit;

namespace marlowin {

/**
 * The form's fields over its widgets. The page buffer is never shown, so its text stays here,
 * beside its hidden element, instead of going through a text layout engine: a page of tens of
 * megabytes costs a move, not seconds of layout.
 */
class WidgetFields final : public FormFields {
public:
    WidgetFields(QLineEdit& text1, QPlainTextEdit& text3) : text1_(text1), text3_(text3) {}

    [[nodiscard]] std::string read(Field field) const override;
    void write(Field field, std::string text) override;
    [[nodiscard]] bool is_empty(Field field) const override;
    [[nodiscard]] std::string_view view(Field field) override;

private:
    QLineEdit& text1_;
    QPlainTextEdit& text3_;
    std::string page_buffer_;
};

}  // namespace marlowin
