#pragma once

#include <QString>
#include <map>

namespace bench {

// The figures of one run, by the keys the table and the JSON line use.
class Results {
public:
    void set(const QString& key, double value) { m_values[key] = value; }
    double value(const QString& key) const;
    bool has(const QString& key) const { return m_values.count(key) > 0; }

    // The table of targets and results, then each key's raw figure.
    void printTable() const;
    // One JSON object holding exactly the keys of the targets, on one line.
    QString json() const;

private:
    std::map<QString, double> m_values;
};

} // namespace bench
