#include "http/invalid_resource_handler.h"

bool InvalidResourceRequestHandler::handleGet(CivetServer*, mg_connection*) { return true; }
bool InvalidResourceRequestHandler::handlePost(CivetServer*, mg_connection*) { return true; }
bool InvalidResourceRequestHandler::handleHead(CivetServer*, mg_connection*) { return true; }
bool InvalidResourceRequestHandler::handlePut(CivetServer*, mg_connection*) { return true; }
bool InvalidResourceRequestHandler::handleDelete(CivetServer*, mg_connection*) { return true; }
bool InvalidResourceRequestHandler::handleOptions(CivetServer*, mg_connection*) { return true; }
bool InvalidResourceRequestHandler::handlePatch(CivetServer*, mg_connection*) { return true; }
bool InvalidResourceRequestHandler::handleTrace(CivetServer*, mg_connection*) { return true; }
bool InvalidResourceRequestHandler::handleConnect(CivetServer*, mg_connection*) { return true; }
bool InvalidResourceRequestHandler::handleRdService(CivetServer*, mg_connection*) { return true; }
bool InvalidResourceRequestHandler::handleCapture(CivetServer*, mg_connection*) { return true; }
bool InvalidResourceRequestHandler::handleDeviceInfo(CivetServer*, mg_connection*) { return true; }
bool InvalidResourceRequestHandler::handleOtherMethod(CivetServer*, mg_connection*) { return true; }
