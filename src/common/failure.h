#pragma once

#include <QString>

// Every failure in the program carries a number and a description, the way
// the box's original software reported them; callers branch on the number.
class Failure
{
public:
    Failure(int number, QString description)
        : m_number(number), m_description(std::move(description))
    {
    }

    int number() const { return m_number; }
    const QString &description() const { return m_description; }

    static Failure invalidCall()
    {
        return {5, QStringLiteral("Invalid procedure call or argument")};
    }
    static Failure overflow() { return {6, QStringLiteral("Overflow")}; }
    static Failure divisionByZero() { return {11, QStringLiteral("Division by zero")}; }
    static Failure typeMismatch() { return {13, QStringLiteral("Type mismatch")}; }
    static Failure invalidPropertyValue()
    {
        return {380, QStringLiteral("Invalid property value")};
    }

    // The serial layer's own failures.
    static Failure invalidPortNumber() { return {8002, QStringLiteral("Invalid port number")}; }
    static Failure portAlreadyOpen() { return {8005, QStringLiteral("Port already open")}; }
    static Failure portNotOpen()
    {
        return {8018, QStringLiteral("Operation valid only when the port is open")};
    }

private:
    int m_number;
    QString m_description;
};
