// tav1-batch: one tone correction applied to many pictures, without windows.
#include <iostream>
#include <string>
#include <vector>

#include "batch/batch.h"

int main(int argc, char** argv) {
  const std::vector<std::string> args(argv + (argc > 0 ? 1 : 0), argv + argc);
  return tav1::batch::RunBatch(args, std::cout, std::cerr, tav1::batch::ProcessEnvironment());
}
