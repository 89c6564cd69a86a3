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

private:
    int m_number;
    QString m_description;
};
