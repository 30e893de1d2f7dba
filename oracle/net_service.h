// The product's net service entry in the found Oracle client's tnsnames.ora:
// the carried file in the XE client's home, or the entry edited into another
// home's file.
#pragma once

#include <functional>
#include <string>
#include <utility>

#include "oracle/detection.h"
#include "platform/platform.h"

class TmxStoredItem;

// The carried file a step writes, taken from the payload when it is needed.
using StoredFile = std::function<TmxStoredItem&()>;

// Where the XE client's net service entry goes: home and suffix joined by one
// backslash, none added after a home that already ends in one. The roll-back
// removes the same three.
struct NetServicePlaces {
  explicit NetServicePlaces(const std::string& xeClientHome);
  std::string network;  // home + "NETWORK"
  std::string admin;    // home + "NETWORK\ADMIN"
  std::string file;     // home + "NETWORK\ADMIN\tnsnames.ora"
};

class NetService {
 public:
  NetService(platform::Platform& system, OracleDetection& detection, StoredFile carriedTnsnames)
      : system_(system), detection_(detection), carriedTnsnames_(std::move(carriedTnsnames)) {}

  // True when the entry is in place (in the XE case, also when the client's
  // home is unknown: EntryPlaced() then says so); false when there is no
  // client, or the other home has no network\ADMIN\tnsnames.ora.
  bool ConfigureNetService();
  // False after a ConfigureNetService that found the XE client but no home
  // to write into: the user must add the entry by hand.
  bool EntryPlaced() const { return entryPlaced_; }
  // What the XE case may have written in the XE client's home: the
  // tnsnames.ora this run wrote there (never one it edited, nor a copy it
  // kept) and the two folders, each folder only when empty. Nothing in a home
  // that is no full path, where nothing was written.
  void RemoveFromXEClientHome();

 private:
  platform::Platform& system_;
  OracleDetection& detection_;
  StoredFile carriedTnsnames_;
  bool entryPlaced_ = true;
  std::string createdFile_;  // the carried tnsnames.ora this run wrote, when it did
};
