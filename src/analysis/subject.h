#pragma once

#include <QString>

#include <optional>

namespace analysis {

enum class Sex { Female, Male };

// The person measured, as far as the user told. Every equation names what it
// needs; a value left out is never guessed.
struct Subject
{
    std::optional<Sex> sex;
    // Whole years, as the equations' populations were grouped.
    std::optional<int> age;
    std::optional<double> heightCm;
    std::optional<double> weightKg;

    bool isEmpty() const { return !sex && !age && !heightCm && !weightKg; }
    bool operator==(const Subject &other) const
    {
        return sex == other.sex && age == other.age && heightCm == other.heightCm &&
               weightKg == other.weightKg;
    }
    bool operator!=(const Subject &other) const { return !(*this == other); }
};

// "female" or "male", as records write it.
QString sexKey(Sex sex);
// The same, and "f"/"m", in any case; nothing for anything else.
std::optional<Sex> sexFromText(const QString &text);

// The ranges the faces accept: beyond them a value is a typing error, not a
// person, and no equation was made for it.
struct SubjectLimits
{
    static constexpr int ageMin = 1;
    static constexpr int ageMax = 120;
    static constexpr double heightMinCm = 30;
    static constexpr double heightMaxCm = 250;
    static constexpr double weightMinKg = 1;
    static constexpr double weightMaxKg = 400;
};

} // namespace analysis
