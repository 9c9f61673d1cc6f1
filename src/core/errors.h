#pragma once

#include <QByteArray>
#include <QString>
#include <exception>

// Failures that stop a user operation. The text is what the default error box shows.
class LedgerError : public std::exception {
public:
    explicit LedgerError(QString text) : m_text(std::move(text)), m_utf8(m_text.toUtf8()) {}
    const QString& text() const { return m_text; }
    const char* what() const noexcept override { return m_utf8.constData(); }
    // The kind of error, as shown by the start-up failure box.
    virtual const char* kind() const { return "LedgerError"; }

private:
    QString m_text;
    QByteArray m_utf8;
};

// The database refused a statement, a file could not be opened, a list was closed.
class DatabaseError : public LedgerError {
public:
    using LedgerError::LedgerError;
    // `code`: the server's five-character state of the error (40001 for a serialization failure,
    // 08006 for a lost connection …), empty when there is none.
    DatabaseError(QString text, QString code) : LedgerError(std::move(text)), m_code(std::move(code)) {}
    const char* kind() const override { return "DatabaseError"; }
    const QString& code() const { return m_code; }

private:
    QString m_code;
};

// The disk holding the files has no room for what had to be written: nothing is damaged and the
// files are used again once there is room. The text names the folder and the room needed.
class DiskFull : public DatabaseError {
public:
    using DatabaseError::DatabaseError;
    const char* kind() const override { return "DiskFull"; }
};

// A text that should be a number is not one, or a number is out of range.
class ConversionError : public LedgerError {
public:
    using LedgerError::LedgerError;
    const char* kind() const override { return "ConversionError"; }
};

// An operation refused by one of its checks (not enough stock, the order is settled already, the
// card is unknown). The text is the message the information box shows; nothing was written.
class Refused : public LedgerError {
public:
    using LedgerError::LedgerError;
    const char* kind() const override { return "Refused"; }
};
