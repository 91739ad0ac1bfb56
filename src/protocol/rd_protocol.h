#pragma once

// The facts of the RD protocol and of this program's place in it, shared by
// the extension, its client and the simulated device. Header only: every
// folder of src/ may include it.

// The local ports where RD services listen: the upstream is probed on all
// of them, and the extension's own listening range starts at the first.
constexpr int upstreamFirstPort = 11100;
constexpr int upstreamLastPort = 11120;

// Every listener of ours is on the loopback address; LOCATION values name it.
constexpr const char* kLoopbackAddress = "127.0.0.1";
// The IPv6 loopback address, where an upstream may listen instead.
constexpr const char* kLoopbackAddress6 = "::1";
// Upstream requests name the host by this name, not by the address.
constexpr const char* kUpstreamHostName = "localhost";

// The paths of the RD interfaces, as the RDService document names them.
constexpr const char* kCapturePath = "/rd/capture";
constexpr const char* kDeviceInfoPath = "/rd/info";
// On the extension: the upstream's own discovery document, relayed.
constexpr const char* kUpstreamDiscoveryPath = "/rdservice";

// An upstream's info text must contain this beside the device model.
constexpr const char* kServiceMarker = "Registered Device Service";
// The model of the capture device that is served, as shipped.
constexpr const char* kDefaultDeviceModel = "Quillaris-USB ZR4410QX";
// The info text of the extension's own discovery document. It writes the
// model with a hyphen where kDefaultDeviceModel has a blank, so that a
// discovery probe of the extension itself never takes it for the upstream.
constexpr const char* kExtensionInfo = "Quillaris-USB-ZR4410QX Registered Device Service Extension";

// The certificate file the engine is given for HTTPS, relative to the
// program's folder; also the default of the configured certificate path.
constexpr const char* kCertificatePath = "./ssl_localhost.pem";
