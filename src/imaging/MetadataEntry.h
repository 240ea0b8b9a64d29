#pragma once

#include <QList>
#include <QString>

// One row of the metadata panel.
struct MetadataEntry {
    QString label;
    QString value;

    bool operator==(const MetadataEntry&) const = default;
};

using MetadataRows = QList<MetadataEntry>;
