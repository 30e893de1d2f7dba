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

  // True when the entry is in place, and when a client is there but its file
  // cannot be written safely (EntryPlaced() then says so); false when there
  // is no client, or the other home has no network\ADMIN\tnsnames.ora.
  bool ConfigureNetService();
  // False after a ConfigureNetService that found a client whose file it could
  // not write (the XE client's home unknown, a link on the way to the file
  // that no administrator made, a file with a second name): the user must
  // add the entry by hand. WhyNotPlaced() says which file and why.
  bool EntryPlaced() const { return whyNotPlaced_.empty(); }
  const std::string& WhyNotPlaced() const { return whyNotPlaced_; }
  // What the XE case may have written in the XE client's home: the
  // tnsnames.ora this run wrote there (never one it edited, nor a copy it
  // kept) and the two folders, each folder only when empty. Nothing in a home
  // that is no full path, where nothing was written.
  void RemoveFromXEClientHome();

 private:
  platform::Platform& system_;
  OracleDetection& detection_;
  // A home whose file lies behind a link the checked writes refuse: true,
  // with the reason kept.
  bool RefusedHome(platform::GuardedFiles& files, const std::string& home, const std::string& file);

  StoredFile carriedTnsnames_;
  std::string whyNotPlaced_;  // empty when the entry is in place
  std::string createdFile_;   // the carried tnsnames.ora this run wrote, when it did
};
