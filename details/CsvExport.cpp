#include "details/CsvExport.h"
