#pragma once

// Runs the transfer library's process-wide initialisation, once. Call it at
// start-up before worker threads can make requests; RestConnection calls it
// too, so the first request is safe even without that call. Safe to call
// from any thread, any number of times. True when the library is ready.
bool initHttpClient();
