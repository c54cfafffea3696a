#include "window/widget_fields.h"

#include <QLineEdit>
#include <QPlainTextEdit>

#include "window/qt_text.h"

namespace marlowin {

std::string WidgetFields::read(Field field) const {
    switch (field) {
        case Field::Text1:
            return text1_.text().toStdString();
        case Field::Text2:
            return page_buffer_;
        case Field::Text3:
            return text3_.toPlainText().toStdString();
    }
    return {};
}

void WidgetFields::write(Field field, std::string text) {
    switch (field) {
        case Field::Text1:
            text1_.setText(to_qstring(text));
            break;
        case Field::Text2:
            page_buffer_ = std::move(text);
            break;
        case Field::Text3:
            text3_.setPlainText(to_qstring(text));
            break;
    }
}

bool WidgetFields::is_empty(Field field) const {
    switch (field) {
        case Field::Text1:
            return text1_.text().isEmpty();
        case Field::Text2:
            return page_buffer_.empty();
        case Field::Text3:
            return text3_.document()->isEmpty();
    }
    return true;
}

std::string_view WidgetFields::view(Field field) {
    return field == Field::Text2 ? page_buffer_ : FormFields::view(field);
}

}  // namespace marlowin
