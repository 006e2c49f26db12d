// The broker subcommands of the ibt tool: ibt share, and ibt watch --from.
#pragma once

#include <string>
#include <vector>

#include "BrokerUrl.h"
#include "ibt_columns.h"

// ibt share URL [FILE [--rate HZ] [--loop]] [options]: shares live or
// recorded telemetry through a broker.
int ibtShare(int argc, char** argv);

// Takes argv[*i] (and its value) when it is a login option: --username NAME,
// --password-file FILE or --ca-file FILE. Returns 1 when taken, 0 when it is
// not one, 2 after printing one line for a missing or unreadable value.
int ibtLoginOption(const char* command, int argc, char** argv, int* i, BrokerLogin* login);

// ibt watch --from URL: the rows of the records shared at URL.
int ibtWatchBroker(const std::string& url, const BrokerLogin& login, long long count, long long timeoutMs,
                   std::vector<IbtColumn>& columns);
