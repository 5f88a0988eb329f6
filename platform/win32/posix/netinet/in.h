#pragma once
// Winsock holds the Internet address types.
#include <winsock2.h>
#include <ws2tcpip.h>
