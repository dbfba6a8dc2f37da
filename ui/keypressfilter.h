#pragma once
// Filters what the operator types into an edit: characters outside an allowed set are dropped,
// Backspace always passes, a typed "." may become the decimal comma, and Enter runs a handler
// instead of reaching the edit. Keys that type nothing (arrows, Delete, Home) and the editing
// shortcuts (select all, copy, cut, undo) pass untouched; a paste goes in only when all of it
// could have been typed.
#include <QObject>
#include <QString>
#include <functional>

class QLineEdit;

class KeyPressFilter : public QObject {
    Q_OBJECT
  public:
    static const QString Digits;

    // The filter belongs to the edit. An empty allowed set drops every typed character.
    KeyPressFilter(QLineEdit* edit, QString allowed, std::function<void()> onEnter = {});

    void setDotToComma(bool on) { m_dotToComma = on; }

  protected:
    bool eventFilter(QObject* watched, QEvent* event) override;

  private:
    // The text as typed into this edit, or empty when a character of it would be dropped.
    QString accepted(const QString& text) const;

    QLineEdit* m_edit;
    QString m_allowed;
    std::function<void()> m_onEnter;
    bool m_dotToComma = false;
};
