#pragma once
// Winsock holds the address conversions.
#include <winsock2.h>
#include <ws2tcpip.h>
