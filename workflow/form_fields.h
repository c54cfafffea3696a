#pragma once

#include <string>
#include <string_view>

namespace marlowin {

/// The three text values of the window.
enum class Field {
    Text1,  ///< the address box, edited by the person
    Text2,  ///< the page buffer, written only by the retrieve action, never shown
    Text3,  ///< the result box, written by the extract and clear actions, editable
};

/**
 * The window's text fields as the actions see them.
 *
 * Every call goes to the field as it is now: the person may have typed since the last read,
 * so the actions never keep a field's value between steps. A write replaces the whole text.
 * Texts are UTF-8.
 */
class FormFields {
public:
    virtual ~FormFields() = default;

    /// The field's current text.
    [[nodiscard]] virtual std::string read(Field field) const = 0;

    /// Replaces the field's whole text.
    virtual void write(Field field, std::string text) = 0;

    /// Whether the field's current text has length zero (nothing trimmed).
    /// Implementations may answer without copying the text.
    [[nodiscard]] virtual bool is_empty(Field field) const { return read(field).empty(); }

    /// The field's current text, valid until the field is next written or viewed.
    /// Implementations that keep a field as UTF-8 (the page buffer, which may run to tens of
    /// megabytes) answer without copying it.
    [[nodiscard]] virtual std::string_view view(Field field) {
        viewed_ = read(field);
        return viewed_;
    }

private:
    std::string viewed_;
};

}  // namespace marlowin
