// Makes sure an Oracle client with the product's net service entry is in
// place: configures a registered one, or runs the carried Oracle XE client
// setup and waits for the user; a cancel rolls the install back.
#pragma once

#include <functional>
#include <string>
#include <utility>

#include "oracle/detection.h"
#include "oracle/net_service.h"
#include "platform/platform.h"

class XESetup {
 public:
  // What the owner does for the setup road: roll its install back, and close
  // its window (which ends the application once the running handler returns).
  struct Owner {
    std::function<void()> rollBack;
    std::function<void()> closeWindow;
  };
  // The carried setup program's path while it runs, and the folder it runs in.
  struct Place {
    std::string program;
    std::string folder;
  };

  XESetup(platform::Platform& system, OracleDetection& detection, NetService& netService, StoredFile carriedSetup,
          Owner owner)
      : system_(system),
        detection_(detection),
        netService_(netService),
        carriedSetup_(std::move(carriedSetup)),
        owner_(std::move(owner)) {}

  // True: a client is in place with the entry. False: the user cancelled the
  // wait, and the install has been rolled back. Once the setup has started,
  // it is deleted and the window closed before this returns.
  bool EnsureOracleClient(const Place& place);
  // Extracts the carried setup program and starts it, without waiting, from
  // the machine's environment with a temporary folder of its own.
  void StartSetup(const Place& place);
  // Deletes the setup program (a failure is ignored: it may still run) and
  // its temporary folder, and closes the window.
  void FinishSetup(const Place& place);
  // The setup's temporary folder and all in it (what is in use goes at the
  // next restart); nothing when no setup was started.
  void RemoveSetupTemp();

 private:
  platform::Platform& system_;
  OracleDetection& detection_;
  NetService& netService_;
  StoredFile carriedSetup_;
  Owner owner_;
  std::string setupTemp_;  // the running setup's TEMP and TMP
};
