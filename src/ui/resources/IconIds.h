// Icons of the resource module.
#pragma once

#define IDI_PRODUCT 1100
