#pragma once

#include "lookup/lookuphost.h"

// A host that answers nothing: the fuzz targets exercise the lookup's parsing only.
class NoHost : public LookupHost {
public:
    QString getChosenCDName() const override { return {}; }
    void runAlertWithTitle(const QString&, const QString&) override {}
    int displayMultipleAlbumMatches(const QStringList&) override { return 0; }
};
