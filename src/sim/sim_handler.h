#pragma once

#include <condition_variable>
#include <mutex>

#include "http/civet_handler.h"
#include "sim/sim_options.h"

// Answers like an RD device service: RDSERVICE/GET on "/", DEVICEINFO on
// "/rd/info", CAPTURE on "/rd/capture"; everything else gets 404. The
// options can delay, fail or withhold every answer except the cross-origin
// preflight (OPTIONS on any path). Every answer carries cross-origin headers.
// Safe for concurrent calls.
class SimulatedDeviceHandler : public CivetHandler {
  public:
    explicit SimulatedDeviceHandler(const SimOptions& options);

    // Ends every delay and hang now and from now on.
    void stop();

    bool handleGet(CivetServer* server, mg_connection* conn) override;
    bool handleOptions(CivetServer* server, mg_connection* conn) override;
    bool handleRdService(CivetServer* server, mg_connection* conn) override;
    bool handleDeviceInfo(CivetServer* server, mg_connection* conn) override;
    bool handleCapture(CivetServer* server, mg_connection* conn) override;

  private:
    bool answer(mg_connection* conn, const char* path, const std::string& document);
    // Waits out the delay (or forever in hang mode) unless stopping.
    void wait() const;

    SimOptions options_;
    mutable std::mutex mutex_;
    mutable std::condition_variable stopped_;
    bool stopping_ = false;
};
