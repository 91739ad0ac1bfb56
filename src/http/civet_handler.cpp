#include "http/civet_handler.h"

bool CivetHandler::handleGet(CivetServer*, mg_connection*) { return false; }
bool CivetHandler::handlePost(CivetServer*, mg_connection*) { return false; }
bool CivetHandler::handleHead(CivetServer*, mg_connection*) { return false; }
bool CivetHandler::handlePut(CivetServer*, mg_connection*) { return false; }
bool CivetHandler::handleDelete(CivetServer*, mg_connection*) { return false; }
bool CivetHandler::handleOptions(CivetServer*, mg_connection*) { return false; }
bool CivetHandler::handlePatch(CivetServer*, mg_connection*) { return false; }
bool CivetHandler::handleTrace(CivetServer*, mg_connection*) { return false; }
bool CivetHandler::handleConnect(CivetServer*, mg_connection*) { return false; }
bool CivetHandler::handleRdService(CivetServer*, mg_connection*) { return false; }
bool CivetHandler::handleCapture(CivetServer*, mg_connection*) { return false; }
bool CivetHandler::handleDeviceInfo(CivetServer*, mg_connection*) { return false; }
bool CivetHandler::handleOtherMethod(CivetServer*, mg_connection*) { return false; }
