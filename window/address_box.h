#pragma once

#include <QLineEdit>

namespace marlowin {

/**
 * The address box. A line edit lays out its whole text again on every paint, which takes
 * seconds once a pasted address runs to megabytes and would stall every click meanwhile;
 * such a text is drawn as the characters around the cursor only. Shorter ones look as any
 * line edit does.
 */
class AddressBox : public QLineEdit {
    Q_OBJECT
public:
    using QLineEdit::QLineEdit;

protected:
    void paintEvent(QPaintEvent* event) override;
};

}  // namespace marlowin
