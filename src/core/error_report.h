#pragma once
// A failure the core cannot show itself: the text, caption and message box
// style its caller hands to the prompter (bc::messageBox(text, caption, style)).

#include <QString>

namespace bc {

struct ErrorReport {
    QString text;
    QString caption;    // empty: the program title
    unsigned style = 0; // message box style bits (0x10: stop icon)

    bool isEmpty() const { return text.isEmpty(); }
};

// Stores a report when the caller asked for one.
inline void reportError(ErrorReport* out, const QString& text, const QString& caption = QString(),
                        unsigned style = 0)
{
    if (out) {
        out->text = text;
        out->caption = caption;
        out->style = style;
    }
}

} // namespace bc
