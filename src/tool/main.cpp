#include <iostream>

#include "tool/Tool.h"

int main(int argc, char** argv) {
  return kessaro::tool::RunTool(argc, argv, {std::cin, std::cout, std::cerr});
}
