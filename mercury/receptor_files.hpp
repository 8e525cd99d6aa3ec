#pragma once
// The receptor and cep definition files and what the run writes from them at
// start-up.
//
// "recp_data.txt" (under "../receptors/"): a line of field names, then one
// line per receptor division of 10 free-format items: number (unused), name,
// category, second name (unused), land category, division number (1 starts a
// new receptor), west, east, south, north (degrees).
// "cep_data.txt" (same directory): a line of field names, then one line per
// cep of 7 items: category, text (unused), number (unused), name, latitude,
// longitude, cep code.
// Only lines of a selected category count. A missing file stops the run with
// code 901; a line that cannot be read, a land category or cep code outside
// 1..NLAND, a latitude outside -90 to 90 or a longitude outside -360 to 360,
// a division out of order, or more receptors or ceps than the receptor output
// lines hold stop it with code 900.
//
// Written to the working directory: "recp_summary.out" (read by deptally),
// "recp_detail.out", "cep_summary.out", one polygon file per receptor and the
// converter batch file "polyconv_batch_file.bat" (written, never run).

#include <cstdint>
#include <string>
#include <string_view>

#include "run/settings.hpp"
#include "mercury/receptor_tables.hpp"

namespace orv {

// Counts the receptors of the selected categories (lines with division 1) and
// gives the largest selected division number.
void recp_ini(const CategorySelection& receptor_selection, const Hgsim& hgsim, int32_t& receptor_count,
              int32_t& ndivmax, TextOut& console, std::string_view directory = kReceptorDirectory);

// Reads the receptors into `tables` (areas, centres, bounding and km boxes)
// and writes "recp_summary.out" and "recp_detail.out". `receptor_count` and
// `ndivmax` are those recp_ini gave.
void read_receptor_data(const CategorySelection& receptor_selection, const Hgsim& hgsim, int32_t receptor_count,
                        int32_t ndivmax, ReceptorTables& tables, TextOut& console,
                        std::string_view directory = kReceptorDirectory);

// Writes one polygon file per receptor and the converter batch file.
void write_polygon_files(const ReceptorTables& tables, TextOut& console);

// Counts the ceps of the selected categories.
void count_cep_records(const CategorySelection& cep_selection, const Hgsim& hgsim, int32_t& cep_count,
                       TextOut& console, std::string_view directory = kReceptorDirectory);

// Reads the ceps into `tables` and writes "cep_summary.out". `cep_count` is
// the one count_cep_records gave.
void read_cep_data(const CategorySelection& cep_selection, const Hgsim& hgsim, int32_t cep_count, CepTables& tables,
                   TextOut& console, std::string_view directory = kReceptorDirectory);

// The polygon file name of receptor r: "shp_input_", r in four digits, "_",
// the name without trailing blanks and ".txt". Path separators and control
// characters of the name, and a leading dot, become "_".
std::string polygon_file_name(int32_t r, std::string_view receptor_name);

}  // namespace orv
