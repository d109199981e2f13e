// The product version, shown by the host and in every script log's start banner.
#pragma once

#define QUORVEL_VERSION L"1.0.0.0"
