// Text description of a built hierarchy, one line per implemented function.
#pragma once

#include <string>

class topology;

std::string describeHierarchy(const topology& hierarchy);
