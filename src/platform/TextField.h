#pragma once
#include <QLineEdit>

#include <limits>

// A text field of a window. Like the classic control it keeps text only up
// to its first NUL character, and it has no length limit of its own (not
// QLineEdit's 32,767 characters): what it is given is what it gives back.
// Hidden fields hold the values a window read from the settings file.
class TextField : public QLineEdit {
    Q_OBJECT
public:
    explicit TextField(const QString &name, QWidget *parent, bool hidden = false) : QLineEdit(parent)
    {
        setObjectName(name);
        setMaxLength(std::numeric_limits<int>::max());
        if (hidden)
            setVisible(false);
    }
    void setText(const QString &text)
    {
        const int nul = text.indexOf(QChar(0));
        QLineEdit::setText(nul < 0 ? text : text.left(nul));
    }
    QString Text() const { return text(); }
};
