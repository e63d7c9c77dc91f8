#set schema = app
#set empty =
select * from &schema.orders where x = &empty;
select &SCHEMA, &schema1, a &&b
