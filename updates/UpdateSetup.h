#pragma once

#include "updates/HttpsFetcher.h"
#include "updates/UpdateInstaller.h"

#include <QVariantMap>
#include <memory>

namespace qw {

// What updating needs from the running installation: its metadata, the installer for its
// layout (none where the program cannot replace itself) and the network's trust.
struct UpdateSetup {
    QVariantMap info;
    std::shared_ptr<UpdateInstaller> installer;
    HttpsFetcher::Options network;
};

} // namespace qw
