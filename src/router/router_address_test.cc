#include <gtest/gtest.h>

#include "router/router_dispatch.h"

namespace zlv {
namespace {

TEST(EnderecoRotValido, AcceptsHttpAndHttpsAddresses) {
  EXPECT_TRUE(EnderecoRotValido("https://rot.example.com"));
  EXPECT_TRUE(EnderecoRotValido("HTTPS://127.0.0.1:8443/api"));
  EXPECT_TRUE(EnderecoRotValido("http://10.0.0.9:8080"));
}

TEST(EnderecoRotValido, RefusesWhatCannotBeTheRouter) {
  EXPECT_FALSE(EnderecoRotValido(""));
  EXPECT_FALSE(EnderecoRotValido("rot.example.com"));
  EXPECT_FALSE(EnderecoRotValido("ftp://rot.example.com"));
  EXPECT_FALSE(EnderecoRotValido("file:///etc/passwd"));
  EXPECT_FALSE(EnderecoRotValido("https://"));
  EXPECT_FALSE(EnderecoRotValido("https:///sendOrder"));
  EXPECT_FALSE(EnderecoRotValido("https://rot example.com"));
  EXPECT_FALSE(EnderecoRotValido("https://rot.example.com\r\nX-Injected: 1"));
}

}  // namespace
}  // namespace zlv
