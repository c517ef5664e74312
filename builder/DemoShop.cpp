// The demo database: a small shop with customers, products, orders and order
// lines, its keys and constraints, a view, a procedure, a function and a trigger.
#include "builder/DatabaseBuilder.h"

namespace quillmark::testing {
namespace {

void AddCustomers(DatabaseSpec& shop) {
  TableSpec& customers = shop.AddTable(
      "Customers",
      {Int("CustomerId").Identity(), NVarChar("Name", 60).NotNull(), NVarChar("Email", 100), NVarChar("City", 40),
       Bit("IsActive").NotNull().Default("((1))"), DateTime("CreatedAt").NotNull().Default("(getdate())")},
      {
          {1, "Ada Lovelace", "ada@example.com", "London", 1, "2023-01-05 09:15:00"},
          {2, "Alan Turing", "alan@example.com", "Manchester", 1, "2023-01-17 14:02:30"},
          {3, "Grace Hopper", nullptr, "Arlington", 1, "2023-02-01 08:00:00"},
          {4, "Zoë Müller", "zoe@example.de", "München", 0, "2023-03-11 18:45:10"},
          {5, "Edsger Dijkstra", "edsger@example.nl", nullptr, 1, "2023-04-22 11:30:00"},
          {6, "Barbara Liskov", "barbara@example.com", "Boston", 1, "2023-05-30 16:20:45"},
      });
  customers.primaryKey = {"PK_Customers", {"CustomerId"}};
}

void AddProducts(DatabaseSpec& shop) {
  TableSpec& products = shop.AddTable(
      "Products",
      {Int("ProductId").Identity(), VarChar("Sku", 20).NotNull(), NVarChar("Name", 80).NotNull(),
       Money("UnitPrice").NotNull(), Decimal("WeightKg", 8, 3), Bit("Discontinued").NotNull(), NText("Description")},
      {
          {1, "KB-100", "Mechanical keyboard", "89.90", "1.150", 0, "A full-size keyboard with brown switches."},
          {2, "MS-200", "Wireless mouse", "24.50", "0.095", 0, nullptr},
          {3, "MN-270", "27-inch monitor", "249.00", "6.400", 0, "2560 x 1440, matte panel."},
          {4, "CB-USB", "USB-C cable", "9.99", "0.040", 0, nullptr},
          {5, "HD-500", "Headset", "59.00", "0.310", 1, "Replaced by HD-600."},
          {6, "DK-010", "Docking station", "139.00", "0.720", 0, nullptr},
          {7, "WC-720", "Webcam", "45.25", "0.160", 0, nullptr},
          {8, "LP-STD", "Laptop stand", "32.00", nullptr, 0, nullptr},
      });
  products.primaryKey = {"PK_Products", {"ProductId"}};
  products.uniqueKeys = {{"UQ_Products_Sku", {"Sku"}}};
  products.checks = {{"CK_Products_UnitPrice", "([UnitPrice]>=(0))", "UnitPrice"}};
}

void AddOrders(DatabaseSpec& shop) {
  TableSpec& orders = shop.AddTable(
      "Orders",
      {Int("OrderId").Identity(), Int("CustomerId").NotNull(), DateTime("OrderDate").NotNull().Default("(getdate())"),
       DateTime("ShippedDate"), TinyInt("Status").NotNull(), NVarChar("Comment", 200)},
      {
          {1, 1, "2024-01-03 10:00:00", "2024-01-04 15:30:00", 2, nullptr},
          {2, 2, "2024-01-08 12:45:00", "2024-01-10 09:00:00", 2, "Leave at the door"},
          {3, 1, "2024-02-14 08:20:00", "2024-02-15 11:10:00", 2, nullptr},
          {4, 3, "2024-02-20 17:05:00", nullptr, 1, "Gift wrap, please"},
          {5, 5, "2024-03-01 09:30:00", "2024-03-02 10:00:00", 2, nullptr},
          {6, 6, "2024-03-09 19:55:00", nullptr, 0, nullptr},
          {7, 2, "2024-03-15 13:40:00", nullptr, 1, nullptr},
          {8, 4, "2024-03-21 07:15:00", nullptr, 0, "Bitte bis Freitag"},
      });
  orders.primaryKey = {"PK_Orders", {"OrderId"}};
  orders.foreignKeys = {{"FK_Orders_Customers", {"CustomerId"}, "Customers", {"CustomerId"}}};
}

void AddOrderLines(DatabaseSpec& shop) {
  TableSpec& lines = shop.AddTable(
      "OrderLines",
      {Int("OrderId").NotNull(), SmallInt("LineNumber").NotNull(), Int("ProductId").NotNull(),
       Int("Quantity").NotNull(), Money("UnitPrice").NotNull(), Decimal("Discount", 4, 2).NotNull().Default("((0))")},
      {
          {1, 1, 1, 1, "89.90", "0.00"},  {1, 2, 2, 1, "24.50", "0.00"},  {2, 1, 3, 2, "249.00", "0.10"},
          {2, 2, 4, 3, "9.99", "0.00"},   {3, 1, 5, 1, "59.00", "0.00"},  {3, 2, 4, 2, "9.99", "0.00"},
          {4, 1, 6, 1, "139.00", "0.05"}, {4, 2, 7, 1, "45.25", "0.00"},  {5, 1, 8, 1, "32.00", "0.00"},
          {5, 2, 2, 2, "24.50", "0.00"},  {6, 1, 1, 1, "89.90", "0.15"},  {6, 2, 3, 1, "249.00", "0.00"},
          {6, 3, 4, 4, "9.99", "0.00"},   {7, 1, 7, 1, "45.25", "0.00"},  {8, 1, 6, 1, "139.00", "0.00"},
          {8, 2, 2, 1, "24.50", "0.00"},
      });
  lines.primaryKey = {"PK_OrderLines", {"OrderId", "LineNumber"}};
  lines.foreignKeys = {{"FK_OrderLines_Orders", {"OrderId"}, "Orders", {"OrderId"}},
                       {"FK_OrderLines_Products", {"ProductId"}, "Products", {"ProductId"}}};
  lines.checks = {{"CK_OrderLines_Quantity", "([Quantity]>(0))", "Quantity"}};
}

void AddModules(DatabaseSpec& shop) {
  shop.AddView("OrderTotals",
               "CREATE VIEW dbo.OrderTotals\r\n"
               "AS\r\n"
               "SELECT o.OrderId, o.CustomerId, o.OrderDate,\r\n"
               "       SUM(l.Quantity * l.UnitPrice * (1 - l.Discount)) AS Total\r\n"
               "FROM dbo.Orders AS o\r\n"
               "JOIN dbo.OrderLines AS l ON l.OrderId = o.OrderId\r\n"
               "GROUP BY o.OrderId, o.CustomerId, o.OrderDate\r\n",
               {Int("OrderId").NotNull(), Int("CustomerId").NotNull(), DateTime("OrderDate").NotNull(),
                Decimal("Total", 38, 6)});
  shop.AddProcedure("GetCustomerOrders",
                    "CREATE PROCEDURE dbo.GetCustomerOrders @CustomerId int\r\n"
                    "AS\r\n"
                    "SET NOCOUNT ON;\r\n"
                    "SELECT t.OrderId, t.OrderDate, t.Total\r\n"
                    "FROM dbo.OrderTotals AS t\r\n"
                    "WHERE t.CustomerId = @CustomerId\r\n"
                    "ORDER BY t.OrderDate DESC;\r\n");
  shop.AddFunction("LineTotal",
                   "CREATE FUNCTION dbo.LineTotal(@Quantity int, @UnitPrice money, @Discount decimal(4, 2))\r\n"
                   "RETURNS money\r\n"
                   "AS\r\n"
                   "BEGIN\r\n"
                   "    RETURN @Quantity * @UnitPrice * (1 - @Discount);\r\n"
                   "END\r\n");
  shop.AddTrigger("trg_OrderLines_Insert", "OrderLines",
                  "CREATE TRIGGER dbo.trg_OrderLines_Insert ON dbo.OrderLines\r\n"
                  "AFTER INSERT\r\n"
                  "AS\r\n"
                  "SET NOCOUNT ON;\r\n"
                  "UPDATE o SET Status = 1\r\n"
                  "FROM dbo.Orders AS o\r\n"
                  "JOIN inserted AS i ON i.OrderId = o.OrderId\r\n"
                  "WHERE o.Status = 0;\r\n");
}

}  // namespace

DatabaseSpec DemoShop(Layout layout) {
  DatabaseSpec shop;
  shop.layout = layout;
  shop.name = "DemoShop";
  AddCustomers(shop);
  AddProducts(shop);
  AddOrders(shop);
  AddOrderLines(shop);
  AddModules(shop);
  return shop;
}

}  // namespace quillmark::testing
