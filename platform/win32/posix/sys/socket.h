#pragma once
// Winsock holds the socket calls.
#include <winsock2.h>
#include <ws2tcpip.h>
