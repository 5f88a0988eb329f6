#pragma once
// Winsock holds the name services.
#include <winsock2.h>
#include <ws2tcpip.h>
