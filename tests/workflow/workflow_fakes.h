#pragma once

#include <functional>
#include <map>
#include <string>
#include <utility>
#include <vector>

#include "workflow/form_fields.h"
#include "workflow/notice.h"

namespace marlowin::testing {

/// The form's fields in memory.
class MemoryForm : public FormFields {
public:
    std::string read(Field field) const override {
        if (on_read) {
            on_read(field);
        }
        return values.at(field);
    }
    void write(Field field, std::string text) override { values[field] = std::move(text); }

    std::map<Field, std::string> values{{Field::Text1, ""}, {Field::Text2, ""}, {Field::Text3, ""}};
    std::function<void(Field)> on_read;  ///< lets a test fail or change a field mid-action
};

/// Records every notice in order; a hook runs while a notice is "open".
class RecordingNotices : public NoticeSink {
public:
    void show(Notice notice) override {
        shown.push_back(notice);
        if (while_open) {
            while_open(notice);
        }
    }
    std::vector<Notice> shown;
    std::function<void(Notice)> while_open;
};

}  // namespace marlowin::testing
