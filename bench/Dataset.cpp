#include "Dataset.h"

#include <algorithm>
#include <map>
#include <memory>
#include <random>

const QString kMarker = QStringLiteral("zz");

namespace {
constexpr std::uint32_t kDataSeed = 20240611;
constexpr int kNameLength = 12;

QString randomWord(std::mt19937& rng) {
    std::uniform_int_distribution<int> letter(0, 24); // a..y: the marker "zz" never occurs by chance
    QString word(kNameLength, Qt::Uninitialized);
    for (int i = 0; i < kNameLength; ++i)
        word[i] = QChar(u'a' + letter(rng));
    return word;
}

std::unique_ptr<Dataset> generate(int n) {
    auto data = std::make_unique<Dataset>();
    data->n = n;
    std::mt19937 rng(kDataSeed);
    std::uniform_int_distribution<int> percent(0, 99);
    std::uniform_int_distribution<int> group(0, kGroupCount - 1);
    std::uniform_int_distribution<int> position(0, kNameLength);
    data->ids.reserve(n);
    data->names.reserve(n);
    data->groupNames.reserve(n);
    data->groups.reserve(n);
    data->marked.reserve(n);
    for (int i = 0; i < n; ++i) {
        data->ids.push_back(QStringLiteral("id-%1").arg(i, 7, 10, QLatin1Char('0')));
        QString name = randomWord(rng);
        const bool marked = percent(rng) < 10;
        if (marked) {
            name.insert(position(rng), kMarker);
            ++data->markedCount;
        }
        data->names.push_back(name);
        data->marked.push_back(marked);
        const int g = group(rng);
        data->groups.push_back(g);
        data->groupNames.push_back(groupName(g));
    }
    return data;
}
} // namespace

const Dataset& dataset(int n) {
    static std::map<int, std::unique_ptr<Dataset>> cache;
    auto& slot = cache[n];
    if (!slot) slot = generate(n);
    return *slot;
}

QString markedName(const QString& name) {
    QString result = name;
    result.insert(name.size() / 2, kMarker);
    return result;
}

QString groupName(int group) {
    return QStringLiteral("group-%1").arg(group);
}

std::vector<QString> freshNames(int count, std::uint32_t seed) {
    std::mt19937 rng(seed);
    std::vector<QString> names;
    names.reserve(count);
    for (int i = 0; i < count; ++i)
        names.push_back(randomWord(rng));
    return names;
}

std::vector<int> pickRows(const Dataset& data, int count, std::uint32_t seed, bool marked) {
    std::vector<int> candidates;
    for (int i = 0; i < data.n; ++i) {
        if (data.marked[i] == marked) candidates.push_back(i);
    }
    std::mt19937 rng(seed);
    std::shuffle(candidates.begin(), candidates.end(), rng);
    candidates.resize(std::min<size_t>(candidates.size(), count));
    return candidates;
}
